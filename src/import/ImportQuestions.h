#pragma once

class CursosLogic;
class PlantillasLogic;

// What the import asks its user besides messages: whether to take the codes the last
// import saved, the level and course of the course offerings, and the time frames. The
// window answers with its dialogs (TControlCursos, TPlantillas), the batch front end from
// its options, the tests from a script.
class ImportQuestions {
public:
    virtual ~ImportQuestions() = default;

    // Whether the codes saved in CURSOST2 by the last import are taken (true) or deleted.
    // Only a deliberate choice deletes them.
    virtual bool recoverSavedCodes() = 0;
    // The course dialog over its logic, until it closes.
    virtual void askCourseCodes(CursosLogic& dialog) = 0;
    // The time-frame dialog over its logic, until it closes.
    virtual void askFrames(PlantillasLogic& dialog) = 0;
};

// Nobody to answer: the saved codes are taken and the dialogs close untouched.
class UnansweredQuestions : public ImportQuestions {
public:
    bool recoverSavedCodes() override { return true; }
    void askCourseCodes(CursosLogic&) override {}
    void askFrames(PlantillasLogic&) override {}
};
