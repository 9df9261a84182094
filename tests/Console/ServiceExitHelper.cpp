// Runs services the way the console does up to its exit, then reports on
// standard output whether the form-style module is still loaded ("kept") or
// was unloaded ("unloaded"). Arguments: the module folder and the scenario:
// "open" leaves both windows open; "forgotten" has the form-style service
// make the console forget its window, which then lives on until the end.
#include "Console/CallbackIMPL.h"
#include "Console/uServiceItem.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <dlfcn.h>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString scenario = QString::fromLocal8Bit(argv[2]);
    SetModuleFolder(folder);
    bool kept = true;
    try {
        auto manager = std::make_unique<TServiceManager>();
        TCallback callback;
        manager->SetCallback(&callback);
        auto form = std::make_unique<TServiceItem>(QStringLiteral("tmForm.so"), QStringLiteral("{TM-SERVICE-1}"));
        auto object = std::make_unique<TServiceItem>(QStringLiteral("tmObject.so"), QStringLiteral("{TM-SERVICE-2}"));
        manager->Add(form.get());
        manager->Add(object.get());
        form->SrvAction();
        object->SrvAction();
        if (scenario == QLatin1String("forgotten"))
            callback.ExecServiceCmd("{TM-SERVICE-1}", nullptr, scForgetObjects);
        QTimer::singleShot(0, &app, &QApplication::quit);
        app.exec();
        // The main window's end: the menu frees its services, then the manager goes.
        form.reset();
        object.reset();
        manager.reset();
        const QByteArray path = QFile::encodeName(folder + QStringLiteral("/tmForm.so"));
        void *handle = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
        kept = handle != nullptr;
        if (handle)
            dlclose(handle);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 3;
    }
    std::printf("%s\n", kept ? "kept" : "unloaded");
    return 0;
}
