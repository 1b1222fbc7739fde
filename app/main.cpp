// main.cpp: velto's entry point.
#include "app/app.h"

int main(int argc, char **argv) { return veltomain(argc, argv); }
