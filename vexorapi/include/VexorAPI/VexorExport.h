#ifndef VEXORAPI_VEXOREXPORT_H
#define VEXORAPI_VEXOREXPORT_H

// VEXOR_API marks what the library exports; everything else is built with
// hidden visibility and stays internal.
#if defined(_WIN32)
#if defined(VEXOR_BUILDING_LIBRARY)
#define VEXOR_API __declspec(dllexport)
#else
#define VEXOR_API __declspec(dllimport)
#endif
#else
#define VEXOR_API __attribute__((visibility("default")))
#endif

#endif // VEXORAPI_VEXOREXPORT_H
