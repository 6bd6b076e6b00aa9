// marqetto: the Kep Template Editor.
#include "app/ConsolePrompts.h"
#include "app/ErrorHandler.h"
#include "app/TF_Main.h"
#include "app/TF_Select.h"

#include <QApplication>

int main(int argc, char** argv)
{
    kep::EditorApplication application(argc, argv);
    QApplication::setApplicationName("Kep Template Editor");
    QApplication::setApplicationDisplayName("Kep Template Editor");
    QApplication::setOrganizationName("Orvenhall");
    QApplication::setWindowIcon(QIcon(":/icons/marqetto.svg"));

    // KEP_SETUP_ONLY=1: start up (reading the settings, or setting up the
    // settings and the file association on the first run) and quit, with the
    // messages on the standard error instead of boxes; scripts use it.
    const bool setupOnly = qEnvironmentVariableIsSet("KEP_SETUP_ONLY");
    std::unique_ptr<kep::Prompts> prompts;
    if (setupOnly)
        prompts = std::make_unique<kep::ConsolePrompts>();
    kep::TF_Main F_Main(application.arguments().mid(1), std::move(prompts));
    kep::TF_Select F_Select;
    F_Main.F_Select = &F_Select;
    if (F_Main.QuitRequested() || setupOnly)
        return 0;
    F_Main.show();
    return application.exec();
}
