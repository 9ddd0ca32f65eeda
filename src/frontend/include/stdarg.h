/* stdarg.h of the c2cdfg front end. Variadic function definitions are not
   accepted by the front end; va_list is here for the prototypes that use it. */
#ifndef _TAVIK_STDARG_H
#define _TAVIK_STDARG_H
typedef __builtin_va_list va_list;
#define va_start(ap, last) __builtin_va_start(ap, last)
#define va_arg(ap, type) __builtin_va_arg(ap, type)
#define va_end(ap) __builtin_va_end(ap)
#define va_copy(dst, src) __builtin_va_copy(dst, src)
#endif
