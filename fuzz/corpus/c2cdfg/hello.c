void scale(float x)     //tavik fixedP S 16:8
{
    float y;
    y = x * 0.5;
}

int main(int argc, char *argv[])
{
    float v;
    v = 1.5;
    scale(v);           //tavik module
    return 0;
}
