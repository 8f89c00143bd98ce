// The script engines' interface identifiers, which no import library carries.
#include <windows.h>
#include <ole2.h>
#include <initguid.h>
#include <activscp.h>
