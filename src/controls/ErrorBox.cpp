#include "ErrorBox.h"

#include "session/ErrorPolicy.h"

#include <QApplication>
#include <QMessageBox>

void InstallErrorBox()
{
    session::SetErrorReporter([](const std::string &text) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Ombrix"),
                              QString::fromStdString(text));
    });
}
