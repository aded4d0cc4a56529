#pragma once

// Widget-free logic of the level and course assignment dialog (TControlCursos).
class CursosLogic {
public:
};
