#include "ErrorBox.h"

#include "protocol/Handlers.h"

#include <QApplication>
#include <QMessageBox>

void InstallErrorBox()
{
    protocol::SetErrorReporter([](const std::string &text) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Ombrix"),
                              QString::fromStdString(text));
    });
}
