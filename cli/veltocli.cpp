// veltocli.cpp: the batch front end.
#include <stdio.h>
int main(int argc, char **argv) { fprintf(stderr, "usage: veltocli eval EXPR [--t T]\n"); return 2; }
