#include <stdlib.h>

union sample { float f; int i; };
long double scale;

int fact(int n)
{
    if (n > 1)
        return n * fact(n - 1);      /* recursion */
    return 1;
}

void work(int count)
{
    union sample s;                  /* union */
    float *buf;
    buf = (float *)malloc(count);    /* dynamic memory */
    s.f = fact(count);
    scale = s.f;                     /* long double */
}

int main(int argc, char *argv[])
{
    work(4);                         //tavik module
    return 0;
}
