// A library that loads but exports no Create.
__attribute__((visibility("default"))) int NotCreate()
{
    return 0;
}
