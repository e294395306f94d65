// Helpers shared by the desktop program tests: screenshots and a copy of the
// shipped sample store in a temporary home.
#pragma once

#include <QString>
#include <filesystem>

class QWidget;

namespace tolmi::test {

// Grabs the widget into <build>/ui-shots/<name>.png and returns whether the
// image is usable: not null, the widget's size, and not a single colour.
bool SaveShot(QWidget& widget, const QString& name);

// Copies data/samples/<sample> into folder and returns the path of its project
// file ("" when the sample has none).
std::filesystem::path CopySample(const std::string& sample, const std::filesystem::path& folder);

}  // namespace tolmi::test
