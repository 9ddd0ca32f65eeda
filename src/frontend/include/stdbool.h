/* stdbool.h of the c2cdfg front end. */
#ifndef _TAVIK_STDBOOL_H
#define _TAVIK_STDBOOL_H
#define bool _Bool
#define true 1
#define false 0
#define __bool_true_false_are_defined 1
#endif
