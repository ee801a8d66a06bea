#pragma once

// Marks the plug-in's two entry points for export. Everything else in the plug-in stays
// internal (hidden visibility on ELF, not exported on Windows).
//
// The plug-in itself builds with ALGORITHM_BUILDING defined and exports the entry points
// (dllexport on Windows, default visibility elsewhere). A host that links the plug-in directly
// sees dllimport on Windows; a host that resolves the entry points by name at run time needs
// neither and may use the function pointer types of ialgorithm.h.
#if defined(_WIN32)
#if defined(ALGORITHM_BUILDING)
#define ALGORITHM_EXPORT __declspec(dllexport)
#else
#define ALGORITHM_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define ALGORITHM_EXPORT __attribute__((visibility("default")))
#else
#define ALGORITHM_EXPORT
#endif
