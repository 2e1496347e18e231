/*
 * program.h - the program's life: create the form, run the event loop,
 * close the device after it.
 */
#pragma once

#include <functional>

#include "testapp/services.h"

class QApplication;
class TForm1;

// Shows the form and runs the event loop until the window closes; then
// closes the device that "Load Library" opened.  `started` (may be empty)
// runs once the form exists, before the loop.  Returns the program's exit
// code, 0 also after an exception that escaped the start or the loop.
int RunQuillon(QApplication &app, const Services &services,
               const std::function<void(TForm1 &)> &started = {});
