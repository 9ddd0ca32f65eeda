#include <stdio.h>
#include <math.h>
typedef float vec[4];
typedef struct { int q; float r; } anon_t;
struct node { struct node *next; float v; struct inner { int a; } in; };
static int counter;
extern float table[];
float gain = 0.5f;
#define SQ(x) ((x)*(x))
int apply(int (*fp)(int), int v) { return fp(v); }
int twice(int v) { return 2 * v; }
void work(float *buf, int n)
{
    vec v = {1, 2, 3, 4};
    anon_t a = { 1, 2.0f };
    struct node nd, *np = &nd;
    char s[] = "abc";
    int i, j;
    float acc = 0;
    for (i = 0, j = n; i < n; i++, j--) {
        acc += buf[i] * SQ(gain);
        if (acc > 100) break; else continue;
    }
    for (int k = 0; k < 4; ++k) v[k] = acc;
    np->next = 0;
    np->v = nd.in.a;
    (*np).v = 3;
    *buf++ = acc;
    *(buf + 1) = 2;
    i = apply(twice, 3);
    acc = i > 0 ? acc : -acc;
    do { i--; } while (i > 0);
    switch (n) {
    case 1:
    case 2: acc = 1; break;
    default: acc = sqrt(acc);
    }
    counter = sizeof(anon_t) + sizeof(v) + sizeof v[0];
    goto out;
out:
    printf("%f %s\n", acc, s);
    a.r = table[0];
    i = 'e';
    i = (int)acc;
    i = (a.q, 3);
}
int main(int argc, char **argv)
{
    float b[4];
    work(b, 4);           //tavik module
    return 0;
}
