// Built with the kit's include rules; it must not compile.
#include "tuning/pktest.h"

int kitProbe()
{
    return sizeof(kz::PkTest);
}
