#pragma once

#include <QString>

// The build number compiled into the program (fourth version component) when a
// file exists at the path; empty otherwise.
QString fileVersionBuild(const QString& path);
