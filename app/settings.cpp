#include "app/settings.h"

Settings settings;
scene::SceneFit sceneFit;
