#pragma once

#include "archivecontroller.h"
#include "assessmentcontroller.h"
#include "dialogscontroller.h"
#include "helpwindow.h"
#include "linkcontroller.h"
#include "main.h"
#include "programcontext.h"
#include "protocolcontroller.h"
#include "ratedcontroller.h"
#include "recordscontroller.h"
#include "testscontroller.h"
#include "report.h"
#include "sets.h"
#include "Unit4.h"
#include "Unit5.h"

// The composition root: every window of the program and the controllers between them,
// made in the order the operator meets them. The program, the tests and the benchmarks
// all build the program through here, so what they run is what the operator runs.
struct ProgramWindows {
    explicit ProgramWindows(ProgramContext context = {});

    const ProgramContext context; // first, so every member below may use it
    TForm1 form1;
    RatedController rated;
    LinkController link;
    RecordsController records;
    TForm3 form3; // the protocol document
    TForm4 form4; // its preview
    TForm5 form5{link, context.modalRunner};
    TForm2 form2;
    TestsController tests;
    DialogsController dialogs;
    ProtocolController protocol;
    ArchiveController archive;
    AssessmentController assessment;
    HelpController help{archive.archive()}; // F1 in every window
};
