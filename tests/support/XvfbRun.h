#pragma once

// Running a program on an X display of its own, through xvfb-run (package xvfb). The search for a
// free display starts from a number of this test's own: two tests that start xvfb-run at the same
// moment from the same number can both pick the same display, and one of them fails.

#include <QCoreApplication>
#include <QStringList>

// The arguments of xvfb-run that come before the command.
inline QStringList XvfbRunOptions()
{
    return {"-a", "-n", QString::number(100 + QCoreApplication::applicationPid() % 4000), "-s",
            "-screen 0 1280x800x24"};
}
