// Identifiers the system's import libraries do not carry; the values are the published ones.
#include <initguid.h>  // IID_IRequest and IID_IRequestDictionary from asptlb.h, defined here

#include "policy/context_interfaces.h"

extern "C" {
const IID IID_IObjectContext = {
    0x51372AE0, 0xCAE7, 0x11CF, {0xBE, 0x81, 0x00, 0xAA, 0x00, 0xA2, 0xFA, 0x25}};
const IID IID_IGetContextProperties = {
    0x51372AF4, 0xCAE7, 0x11CF, {0xBE, 0x81, 0x00, 0xAA, 0x00, 0xA2, 0xFA, 0x25}};
}
