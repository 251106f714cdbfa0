#pragma once

// GCC 12 reports an overlapping copy (-Wrestrict) inside std::string when a
// string literal is put before a temporary string ("." + name): the copy it
// sees cannot overlap (GCC bug 105329). These bracket such a statement so
// that builds with -Werror pass; other compilers see nothing.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#define KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN                                                                       \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wrestrict\"")
#define KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END _Pragma("GCC diagnostic pop")
#else
#define KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN
#define KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END
#endif
