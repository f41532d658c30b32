// Built with the device library's include rules; it must not compile.
#include <QtWidgets/QWidget>

int widgetProbe()
{
    return sizeof(QWidget);
}
