#pragma once

// Widget-free logic of the time-frame selection dialog (TPlantillas).
class PlantillasLogic {
public:
};
