#pragma once

#include <QString>
#include <vector>

// A visual style carried in the executable's resources.
struct CarriedStyle {
    QString resourceName;  // "AURIC"
    QString styleName;     // "Auric", read from the style's own header
    QString sheet;
};

// Every style the executable carries, in resource-name order.
std::vector<CarriedStyle> carriedStyles();

// The carried style whose name matches, ignoring case.
const CarriedStyle* findStyle(const std::vector<CarriedStyle>& styles, const QString& name);

// Activates the named style for the whole application. When no carried style
// has that name, the style-not-found box comes up and the default look stays.
// Returns whether a style was activated.
bool activateStyle(const QString& name);
