// main.cpp - quillon, the J2534 test application.
#include <QApplication>

#include "testapp/program.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("quillon");
    return RunQuillon(app, desktop_services());
}
