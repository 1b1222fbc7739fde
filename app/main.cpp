// main.cpp: program entry.
#include <stdio.h>
int main(int argc, char **argv) { printf("velto: window not yet available\n"); return 0; }
