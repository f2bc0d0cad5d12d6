#include <QApplication>

#include "display_scaling.h"
#include "running_mark.h"
#include "tovik_all_in_one.h"

int main(int argc, char *argv[])
{
    markRunning();
    enableDisplayScaling();
    QApplication a(argc, argv);
    Tovik_all_in_one w;
    w.show();
    const int result = a.exec();
    return result;
}
