// hostsim.cpp - the substitute host's services and lifecycle driving.
#include "hostsim/hostsim.h"

#include <cstring>

HostState host;

namespace {

int32_t GAUGE_CALL QueryElements(Element*) { return 1; }

// Walks the element chain from `first`, each element reached through the
// list of elements that follow the one before.
template <typename Visit>
void ForEachElement(Element* first, Visit visit) {
    for (Element* e = first; e != nullptr;) {
        visit(e);
        e = (e->next != nullptr) ? e->next[0] : nullptr;
    }
}

int32_t GAUGE_CALL InstallElements(Element* first, void*) {
    host.display = nullptr;
    host.icon_count = 0;
    ForEachElement(first, [](Element* e) {
        switch (e->kind) {
        case kElementStatic:
            reinterpret_cast<StaticElement*>(e)->host_image[0] = host.image_record;
            break;
        case kElementText: {
            TextElement* text = reinterpret_cast<TextElement*>(e);
            std::memset(host.text, 0, sizeof host.text);
            text->text = host.text;
            if (host.display == nullptr) host.display = text;
            break;
        }
        case kElementIcon:
            if (host.icon_count < kHostMaxIcons)
                host.icons[host.icon_count++] = {reinterpret_cast<IconElement*>(e), -1.0};
            break;
        default:
            break;
        }
    });
    return 1;
}

int32_t GAUGE_CALL InitializeElements(Element*) { return 1; }

// Every value callback once per update, in the order of the tree: the timer
// display, then the lamps.
int32_t GAUGE_CALL UpdateElements(Element* first) {
    ForEachElement(first, [](Element* e) {
        if (e->kind == kElementText) {
            TextElement* text = reinterpret_cast<TextElement*>(e);
            text->sources[0].value = static_cast<double>(host.updates);
            if (text->source_callbacks[0] != nullptr) {
                double v = text->source_callbacks[0](e);
                if (text == host.display) host.display_value = v;
            }
        } else if (e->kind == kElementIcon) {
            IconElement* icon = reinterpret_cast<IconElement*>(e);
            double v = icon->callback ? icon->callback(e) : -1.0;
            for (int32_t i = 0; i < host.icon_count; ++i)
                if (host.icons[i].element == icon) host.icons[i].value = v;
        }
    });
    return 1;
}

int32_t GAUGE_CALL GenerateElements(Element*, void*) { return 1; }
int32_t GAUGE_CALL PlotElements(Element*) { return 1; }

int32_t GAUGE_CALL KillElements(Element* first) {
    ForEachElement(first, [](Element* e) {
        if (e->kind == kElementText) reinterpret_cast<TextElement*>(e)->text = nullptr;
        if (e->kind == kElementStatic) reinterpret_cast<StaticElement*>(e)->host_image[0] = nullptr;
    });
    host.display = nullptr;
    host.icon_count = 0;
    return 1;
}

int32_t GAUGE_CALL InstallMouseAreas(MouseArea* areas, GaugeHeader*, void* image_word) {
    host.mouse_areas = areas;
    host.mouse_image_word = image_word;
    return 1;
}

int32_t GAUGE_CALL RegisterMouseAreas(MouseArea* areas, GaugeHeader*) {
    host.mouse_areas = areas;
    host.mouse_registered = true;
    return 1;
}

int32_t GAUGE_CALL UnregisterMouseAreas(MouseArea*, GaugeHeader*) {
    host.mouse_registered = false;
    return 1;
}

int32_t GAUGE_CALL SendEvent(uint32_t event_id, uint32_t value) {
    for (int32_t i = 0; i < host.event_hook_count; ++i) {
        const HostEventHook hook = host.event_hooks[i];
        hook.call(event_id, value, hook.context);
    }
    return 1;
}

HostValue* FindValue(int32_t token) {
    for (int32_t i = 0; i < host.value_count; ++i)
        if (host.values[i].token == token) return &host.values[i];
    return nullptr;
}

int32_t GAUGE_CALL ReadVariable(ModuleVariable* variable) {
    variable->previous = variable->value;
    variable->value = HostGetValue(variable->token);
    return 1;
}

int32_t GAUGE_CALL InitializeVariable(ModuleVariable* variable) {
    bool known = false;
    for (int32_t i = 0; i < host.bound_count; ++i) known |= host.bound[i] == variable;
    if (!known && host.bound_count < kHostMaxBound) host.bound[host.bound_count++] = variable;
    variable->host_pointer = nullptr;
    variable->host_type = 0;
    ReadVariable(variable);
    variable->previous = variable->value;
    return 1;
}

// Adds `hook` to a list of at most kHostMaxHooks, once; removes it keeping
// the others' order.
template <typename Hook>
bool AddHook(Hook* list, int32_t* count, Hook hook) {
    for (int32_t i = 0; i < *count; ++i)
        if (list[i].call == hook.call && list[i].context == hook.context) return true;
    if (*count == kHostMaxHooks) return false;
    list[(*count)++] = hook;
    return true;
}

template <typename Hook>
void RemoveHook(Hook* list, int32_t* count, Hook hook) {
    for (int32_t i = 0; i < *count; ++i)
        if (list[i].call == hook.call && list[i].context == hook.context) {
            for (int32_t j = i + 1; j < *count; ++j) list[j - 1] = list[j];
            --*count;
            return;
        }
}

}  // namespace

bool HostAddEventHook(void (*call)(uint32_t, uint32_t, void*), void* context) {
    return AddHook(host.event_hooks, &host.event_hook_count, HostEventHook{call, context});
}

void HostRemoveEventHook(void (*call)(uint32_t, uint32_t, void*), void* context) {
    RemoveHook(host.event_hooks, &host.event_hook_count, HostEventHook{call, context});
}

bool HostAddUpdateHook(void (*call)(void*), void* context) {
    return AddHook(host.update_hooks, &host.update_hook_count, HostUpdateHook{call, context});
}

void HostRemoveUpdateHook(void (*call)(void*), void* context) {
    RemoveHook(host.update_hooks, &host.update_hook_count, HostUpdateHook{call, context});
}

void HostReset() {
    host = HostState();
    host.services.QueryElements = QueryElements;
    host.services.InstallElements = InstallElements;
    host.services.InitializeElements = InitializeElements;
    host.services.UpdateElements = UpdateElements;
    host.services.GenerateElements = GenerateElements;
    host.services.PlotElements = PlotElements;
    host.services.KillElements = KillElements;
    host.services.InstallMouseAreas = InstallMouseAreas;
    host.services.RegisterMouseAreas = RegisterMouseAreas;
    host.services.UnregisterMouseAreas = UnregisterMouseAreas;
    host.services.SendEvent = SendEvent;
    host.services.InitializeVariable = InitializeVariable;
    host.services.ReadVariable = ReadVariable;
}

bool HostAttach(ImportTableRecord* import_table, const LinkageRecord* linkage) {
    if (import_table == nullptr || linkage == nullptr || linkage->gauges[0] == nullptr)
        return false;
    bool filled = false;
    // The walk ends at the terminator or at the record's last entry, never past it.
    for (ImportEntry& entry : import_table->entries) {
        if (entry.id == 0) break;
        if (entry.id == kImportPanelServices) {
            entry.pointer = &host.services;
            filled = true;
        }
    }
    host.gauge = linkage->gauges[0];
    host.first = host.gauge->elements ? host.gauge->elements[0] : nullptr;
    return filled && host.first != nullptr;
}

void HostQuery() { host.gauge->query(); }

void HostInstall() {
    host.gauge->install(nullptr);
    host.installed = true;
}

void HostInitialize() {
    host.gauge->initialize();
    host.initialized = true;
}

void HostUpdate() {
    host.updates++;
    for (int32_t i = 0; i < host.update_hook_count; ++i) {
        const HostUpdateHook hook = host.update_hooks[i];
        hook.call(hook.context);
    }
    host.gauge->update();
}

void HostGenerate() { host.gauge->generate(nullptr); }
void HostDraw() { host.gauge->draw(); }

void HostFrame() {
    HostUpdate();
    HostGenerate();
    HostDraw();
}

void HostKill() {
    host.gauge->kill();
    host.installed = false;
    host.initialized = false;
}

void HostReload() {
    HostKill();
    HostInstall();
    HostInitialize();
}

bool HostClick(int32_t x, int32_t y) {
    if (!host.mouse_registered || host.mouse_areas == nullptr) return false;
    for (MouseArea* a = host.mouse_areas; a->kind != kMouseEnd; ++a) {
        if (a->kind != kMouseChild || a->handler == nullptr) continue;
        if (x >= a->x && x < a->x + a->w && y >= a->y && y < a->y + a->h) {
            a->handler((y << 16) | (x & 0xFFFF), static_cast<int32_t>(a->mouse_flags & kMouseLeftSingle));
            return true;
        }
    }
    return false;
}

int32_t HostChildAt(int32_t x, int32_t y, bool* repeats) {
    *repeats = false;
    if (!host.mouse_registered || host.mouse_areas == nullptr) return -1;
    int32_t n = 0;
    for (MouseArea* a = host.mouse_areas; a->kind != kMouseEnd; ++a) {
        if (a->kind != kMouseChild) continue;
        if (a->handler != nullptr && x >= a->x && x < a->x + a->w && y >= a->y && y < a->y + a->h) {
            *repeats = (a->mouse_flags & kMouseRepeatHeld) != 0;
            return n;
        }
        ++n;
    }
    return -1;
}

bool HostChildCentre(int32_t n, int32_t* x, int32_t* y) {
    if (host.mouse_areas == nullptr) return false;
    int32_t seen = 0;
    for (MouseArea* a = host.mouse_areas; a->kind != kMouseEnd; ++a) {
        if (a->kind != kMouseChild) continue;
        if (seen++ == n) {
            *x = a->x + a->w / 2;
            *y = a->y + a->h / 2;
            return true;
        }
    }
    return false;
}

void HostSetValue(int32_t token, double value) {
    HostValue* v = FindValue(token);
    if (v == nullptr && host.value_count < kHostMaxValues) {
        v = &host.values[host.value_count++];
        v->token = token;
    }
    if (v != nullptr) v->value = value;
}

double HostGetValue(int32_t token) {
    HostValue* v = FindValue(token);
    return v ? v->value : 0.0;
}

const char* HostDisplayText() { return host.text; }

uint32_t HostDisplayColour() { return host.display ? host.display->text_colour : 0; }

double HostIconValue(int32_t bitmap) {
    for (int32_t i = 0; i < host.icon_count; ++i)
        if (host.icons[i].element->header.bitmap == bitmap) return host.icons[i].value;
    return -1.0;
}
