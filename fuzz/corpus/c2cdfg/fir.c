void fir(float x[16],     //tavik fixedP S 16:8
         float h[4],      //tavik fixedP S 16:15
         float y[16])     //tavik fixedP S 16:8
{
    float acc;            //tavik fixedP S 24:12
    int i;
    int k;
    for (i = 3; i < 16; i = i + 1) {
        acc = 0.0;
        for (k = 0; k < 4; k = k + 1) {
            acc = acc + h[k] * x[i - k];
        }
        y[i] = acc;
    }
}

int main(int argc, char *argv[])
{
    float in[16];
    float coef[4];
    float out[16];
    int n;
    for (n = 0; n < 4; n = n + 1)
        coef[n] = 0.25;
    fir(in, coef, out);   //tavik module
    return 0;
}
