// A library without an entry at ordinal 15: the module must give up on help.
#include <windows.h>
extern "C" int WINAPI NothingHere() { return 0; }
