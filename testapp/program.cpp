// program.cpp - the form's life from creation to the device close at exit.
#include "testapp/program.h"

#include <QApplication>

#include <exception>
#include <memory>

#include "testapp/form.h"

int RunQuillon(QApplication &app, const Services &services,
               const std::function<void(TForm1 &)> &started)
{
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(services);
        form->show();
        if (started)
            started(*form);
        app.exec();
    } catch (const std::exception &e) {
        services.messages->show(e.what(), "quillon");
    }
    // Nothing else is released: channels stay as they are and the library
    // stays loaded until the process ends.
    if (form)
        form->CloseDeviceAtExit();
    return 0;
}
