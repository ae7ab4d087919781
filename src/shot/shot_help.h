#pragma once
// What glimpa-shot says to --help and --version, in the shape help2man reads.
#include <QString>

QString ShotHelpText();
QString ShotVersionText();  // "glimpa-shot <project version>"
