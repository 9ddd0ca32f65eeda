/* stddef.h of the c2cdfg front end: only what C programs for the
   conversion flow use. */
#ifndef _TAVIK_STDDEF_H
#define _TAVIK_STDDEF_H
typedef unsigned long size_t;
typedef long ptrdiff_t;
typedef int wchar_t;
#define NULL ((void *)0)
#define offsetof(type, member) __builtin_offsetof(type, member)
#endif
