#include "app/startup.h"

int main(int argc, char** argv) { return lumafold::RunLumafold(argc, argv); }
