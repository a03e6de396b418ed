#include "run/RunSequence.h"

int wmain(int argc, wchar_t** argv) { return zentrak::run::Run(argc, argv); }
