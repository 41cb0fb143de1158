// identity.h - which program this build of panel-host is. Everywhere but
// in the Windows kit it is panel-host, the developer's substitute host. The
// kit's build (VORNAK_PREVIEW, cmake/Windows.cmake) is the pilot's
// "VORNAK_TOWS preview": the same modes, named, helped and refused in a
// pilot's words, its lines on the console headed with its own name.
#pragma once

#ifdef VORNAK_PREVIEW
#define VORNAK_HOST_NAME "VORNAK_TOWS preview"
inline constexpr bool kPreview = true;
inline constexpr const char kCommandName[] = "VORNAK_TOWS-preview";   // as the kit names the file
#else
#define VORNAK_HOST_NAME "panel-host"
inline constexpr bool kPreview = false;
inline constexpr const char kCommandName[] = "panel-host";
#endif
