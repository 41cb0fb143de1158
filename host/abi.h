// abi.h - the panel host's binary records, as the simulator lays them out.
//
// Everything the host reads or writes in the module is declared here: the
// import table, the linkage record, the service table, module variables, the
// gauge header, the element records and the mouse-area entries. The layouts
// are the host's, packed to 4 bytes; integer fields keep their widths and
// pointer fields take the platform's width. On a 32-bit target the sizes and
// offsets below are the ones the simulator expects, and static_asserts at the
// bottom hold them there.
//
// GAUGE_CALL is the host's calling convention: __stdcall on 32-bit x86
// Windows (the callee pops its arguments, so every routine the host calls
// must take exactly the arguments the host pushes), and nothing elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && defined(__i386__)
#define GAUGE_CALL __stdcall
#elif defined(_WIN32) && defined(_M_IX86)
#define GAUGE_CALL __stdcall
#else
#define GAUGE_CALL
#endif

// Host events the gauge sends: the simulator's event numbers (slew mode
// moves the aircraft directly, bypassing its physics).
enum : uint32_t {
    kEventCalibrate      = 0x10025,   // joystick calibration; moves nothing
    kEventSlewToggle     = 0x10015,
    kEventSlewAheadMinus = 0x100D1,   // one step faster backwards
    kEventSlewFreeze     = 0x100CE,   // stops translation and rotation
    kEventSlewRotate     = 0x1014D,   // rotation rate from the value; negative turns the nose right
    kEventSlewAheadPlus  = 0x100CB,   // one step less backwards
    kEventSlewOff        = 0x100C2,
};

#pragma pack(push, 4)

struct GaugeHeader;
struct Element;
struct MouseArea;

// One simulator value the host keeps for the gauge. The gauge sets the token
// and reads value; the other words are the host's.
struct ModuleVariable {
    int32_t token;
    void*   host_pointer;
    int32_t host_type;
    double  value;
    double  previous;
};

// Element value callbacks return a 64-bit float; click handlers return BOOL.
typedef double (GAUGE_CALL *ValueCallback)(Element* element);
typedef int32_t (GAUGE_CALL *ClickHandler)(int32_t where, int32_t flags);

// Gauge routines called by the host through the header.
typedef void (GAUGE_CALL *GaugeRoutine)(void);
typedef void (GAUGE_CALL *GaugeArgRoutine)(void* host_argument);

struct GaugeHeader {
    int32_t         host_word0;        // 610
    const char*     name;
    Element* const* elements;          // null-terminated list, one entry
    GaugeRoutine    query;
    GaugeArgRoutine install;
    GaugeRoutine    initialize;
    GaugeRoutine    update;
    GaugeArgRoutine generate;
    GaugeRoutine    draw;
    GaugeRoutine    kill;
    int32_t         reserved;          // 0
    int32_t         size_mm;           // 100
    int32_t         host_words[10];
};

// A pair of the shared failure list: (system, action, reserved).
struct FailureEntry {
    int32_t system;
    int32_t action;
    void*   reserved;
};

enum ElementKind : int32_t { kElementStatic = 0, kElementText = 2, kElementIcon = 4 };

// The fifteen words every element record begins with.
struct Element {
    int32_t             kind;
    int32_t             bitmap;
    int32_t             x, y;
    int32_t             previous_x, previous_y;   // host
    int32_t             offset_x, offset_y;       // host
    const GaugeHeader*  gauge;
    Element*            previous_element;         // host
    Element* const*     next;                     // null-terminated, or null
    const FailureEntry* failures;
    int32_t             image_flags;
    int32_t             special;
    int32_t             reserved;
};

struct StaticElement {
    Element header;
    void*   host_image[4];   // the host fills [0] during InstallElements
    void*   save_buffer;
    void*   device_context;
    void*   bitmap_handle;
    int32_t reserved[2];
};

struct IconElement {
    Element        header;
    ModuleVariable source;
    ValueCallback  callback;
    int32_t        switch_type;
    int32_t        switch_count;
    double         scale;
    int32_t        offset;
    int32_t        icon_count;
    int32_t        current_icon;
    int32_t        target_icon;
    void*          icon_data;
    void*          save_buffer;
    void*          update_callback;
    int32_t        reserved;
};

struct TextElement {
    Element        header;
    ModuleVariable sources[3];
    double         saved_values[3];
    ValueCallback  source_callbacks[3];   // [0] is the value callback
    void*          source_function;
    char*          text;                  // the host's buffer
    char*          old_text;
    int32_t        box_w, box_h;
    void*          string_data;
    void*          save_buffer;
    uint32_t       text_colour;
    uint32_t       background_colour;
    uint32_t       highlight_colour;
    void*          device_context;
    void*          font;
    int32_t        reserved0;
    void*          bitmap_handle;
    int32_t        reserved1;
    void*          brush;
    int32_t        reserved2;
    char           font_name[32];
    int32_t        font_weight;
    uint8_t        charset;
    uint8_t        charset_pad[3];
    uint32_t       draw_flags;
    int16_t        max_chars;
    int16_t        char_width;
    int16_t        selection_start;
    int16_t        selection_end;
    int32_t        sequence;
    int32_t        saved_sequence;
    int32_t        char_height;
    void*          update_callback;
    int32_t        use_user_colour;
    uint32_t       user_colour;
};

enum MouseAreaKind : int32_t {
    kMouseEnd = 0, kMouseParent = 1, kMouseChild = 2, kMouseParentEnd = 3
};

// A child area's mouse flags: a single click of the left button, handed to
// the handler as its flags; and the click repeated while the button is held.
enum : uint32_t { kMouseLeftSingle = 0x20000000u, kMouseRepeatHeld = 0x00200000u };

struct MouseArea {
    int32_t      kind;
    int32_t      x, y, w, h;
    int32_t      cursor;
    int32_t      help_id;
    uint32_t     mouse_flags;
    int32_t      event_id;
    ClickHandler handler;
    void*        handler_data;
};

// The host's service table. Only the entries the gauge calls are named; the
// gaps keep every named entry at its position (counted from 0).
struct PanelServices {
    void* unused_0_23[24];
    int32_t (GAUGE_CALL *QueryElements)(Element* first);                         // 24
    int32_t (GAUGE_CALL *InstallElements)(Element* first, void* install_arg);    // 25
    int32_t (GAUGE_CALL *InitializeElements)(Element* first);                    // 26
    int32_t (GAUGE_CALL *UpdateElements)(Element* first);                        // 27
    int32_t (GAUGE_CALL *GenerateElements)(Element* first, void* generate_arg);  // 28
    int32_t (GAUGE_CALL *PlotElements)(Element* first);                          // 29
    void* unused_30;
    int32_t (GAUGE_CALL *KillElements)(Element* first);                          // 31
    int32_t (GAUGE_CALL *InstallMouseAreas)(MouseArea* areas, GaugeHeader* gauge,
                                            void* image_word);                   // 32
    int32_t (GAUGE_CALL *RegisterMouseAreas)(MouseArea* areas, GaugeHeader* gauge);   // 33
    int32_t (GAUGE_CALL *UnregisterMouseAreas)(MouseArea* areas, GaugeHeader* gauge); // 34
    void* unused_35;
    int32_t (GAUGE_CALL *SendEvent)(uint32_t event_id, uint32_t value);          // 36
    void* unused_37;
    int32_t (GAUGE_CALL *InitializeVariable)(ModuleVariable* variable);          // 38
    void* unused_39;
    int32_t (GAUGE_CALL *ReadVariable)(ModuleVariable* variable);                // 40
};

struct ImportEntry {
    uint32_t id;
    void*    pointer;
};

enum : uint32_t { kImportPanelServices = 0x0F };

// The pairs a host walks up to the one with id 0. The gauge asks for one
// table: entry 0 has id 0x0F, where the host stores its PanelServices, and
// entry 1 is the terminator (id 0, null).
enum : int32_t { kImportServicesEntry = 0, kImportEntries = 2 };

struct ImportTableRecord {
    ImportEntry entries[kImportEntries];
};

typedef void (GAUGE_CALL *ModuleHook)(void);

struct LinkageRecord {
    int32_t             module_id;    // 0x13
    ModuleHook          module_init;
    ModuleHook          module_deinit;
    int32_t             host_words[3];
    const GaugeHeader*  gauges[2];    // the one header, then null
};

#pragma pack(pop)

// Module variables, records and services on a 32-bit target must match the
// host byte for byte.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ModuleVariable) == 28, "module variable is 28 bytes");
static_assert(offsetof(ModuleVariable, value) == 12, "value at byte 12");
static_assert(offsetof(ModuleVariable, previous) == 20, "previous value at byte 20");
static_assert(sizeof(GaugeHeader) == 88, "gauge header is 22 words");
static_assert(offsetof(GaugeHeader, kill) == 36, "kill routine is word 9");
static_assert(offsetof(GaugeHeader, size_mm) == 44, "size follows the reserved word");
static_assert(sizeof(Element) == 60, "element header is 15 words");
static_assert(offsetof(Element, gauge) == 32, "owning header at 32");
static_assert(offsetof(Element, next) == 40, "following list at 40");
static_assert(offsetof(Element, image_flags) == 48, "image flags at 48");
static_assert(sizeof(StaticElement) == 96, "static image is 96 bytes");
static_assert(offsetof(StaticElement, host_image) == 60, "host image record at 60");
static_assert(sizeof(IconElement) == 140, "icon is 140 bytes");
static_assert(offsetof(IconElement, callback) == 88, "icon callback at 88");
static_assert(offsetof(IconElement, scale) == 100, "icon scale at 100");
static_assert(offsetof(IconElement, update_callback) == 132, "icon update callback at 132");
static_assert(sizeof(TextElement) == 324, "text is 324 bytes");
static_assert(offsetof(TextElement, saved_values) == 144, "saved values at 144");
static_assert(offsetof(TextElement, source_callbacks) == 168, "source callbacks at 168");
static_assert(offsetof(TextElement, text) == 184, "text buffer pointer at 184");
static_assert(offsetof(TextElement, box_w) == 192, "box size at 192");
static_assert(offsetof(TextElement, text_colour) == 208, "text colour at 208");
static_assert(offsetof(TextElement, font_name) == 248, "font name at 248");
static_assert(offsetof(TextElement, charset) == 284, "character set at 284");
static_assert(offsetof(TextElement, max_chars) == 292, "maximum characters at 292");
static_assert(offsetof(TextElement, sequence) == 300, "sequence at 300");
static_assert(offsetof(TextElement, user_colour) == 320, "user colour at 320");
static_assert(sizeof(FailureEntry) == 12, "failure entry is 12 bytes");
static_assert(sizeof(MouseArea) == 44, "mouse area is 44 bytes");
static_assert(offsetof(MouseArea, handler) == 36, "handler at 36");
static_assert(offsetof(PanelServices, QueryElements) == 24 * 4, "services start at 24");
static_assert(offsetof(PanelServices, ReadVariable) == 40 * 4, "ReadVariable at 40");
static_assert(sizeof(ImportTableRecord) == 16, "import table is two pairs");
static_assert(sizeof(LinkageRecord) == 32, "linkage record");
#endif

// Whatever the pointer width, named services stay at their positions.
static_assert(offsetof(PanelServices, SendEvent) == 36 * sizeof(void*), "SendEvent at 36");
static_assert(offsetof(PanelServices, InstallMouseAreas) == 32 * sizeof(void*), "InstallMouseAreas at 32");
static_assert(offsetof(ModuleVariable, value) % 4 == 0, "value stays 4-aligned");
