#include <stdlib.h>
#include <string.h>
#include <stdio.h>
union sample { float f; int i; };
long double scale;
struct pt { float x, y; int *p; int b : 3; };
enum mode { OFF, ON };
int fact(int n)
{
    if (n > 1)
        return n * fact(n - 1);
    return 1;
}
float *pick(float *a, int i) { return &a[i]; }
int sign(float x)
{
    if (x < 0)
        return -1;
    else if (x > 0)
        return 1;
}
void work(int count, float *buf)
{
    union sample s;
    struct pt p;
    float *mb;
    int **pp;
    int ***ppp;
    int (*pa)[4];
    char big[20000];
    enum mode m;
    float f, g;
    int vla[count];
    mb = (float *)malloc(count);
    s.f = fact(count);
    scale = s.f;
    p.b = 1;
    pp = (int **)buf;
    memcpy(buf, buf, 4);
    m = ON;
    if (f && g) f = 1;
    if (f > 0.5) g = 2;
    while (g < 1.0) g++;
    switch (count) { count = 0; case 1: break; }
    undeclared(1);
    pick(buf, 1, 2);
    pick(3, 1);
    sign(1.0);
    mb = pick(buf, 0);
}
int main(int argc, char *argv[])
{
    float b[4];
    work(4, b);           //tavik module
    work(argc + 1, b);
    fact(3);
    return 0;
}
