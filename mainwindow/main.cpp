#include "mainwindow/startup.h"

int main(int argc, char **argv) { return lumrik::programMain(argc, argv); }
