#pragma once

// Marks the library's public API. The library builds static by default; as a shared library
// (VISTREL_SHARED) it exports exactly what carries this mark, on ELF and on Windows alike.
// A compiler that knows neither mark sees nothing.
#if defined(VISTREL_SHARED)
#if defined(_WIN32)
#if defined(VISTREL_BUILDING)
#define VISTREL_EXPORT __declspec(dllexport)
#else
#define VISTREL_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define VISTREL_EXPORT __attribute__((visibility("default")))
#else
#define VISTREL_EXPORT
#endif
#else
#define VISTREL_EXPORT
#endif
