// marqetto: the Kep Template Editor.
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

    kep::TF_Main F_Main(application.arguments().mid(1));
    kep::TF_Select F_Select;
    F_Main.F_Select = &F_Select;
    if (F_Main.QuitRequested())
        return 0;
    // Set-up only: start, read or write the settings and the association, quit.
    if (qEnvironmentVariableIsSet("KEP_SETUP_ONLY"))
        return 0;
    F_Main.show();
    return application.exec();
}
