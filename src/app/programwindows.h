#pragma once

#include "main.h"
#include "report.h"
#include "sets.h"
#include "Unit4.h"
#include "Unit5.h"

// The program's five windows, made as the program entry makes them; the benchmarks make
// them the same way. Creation order matters: the main window's creation runs before the
// others exist.
struct ProgramWindows {
    TForm1 form1;
    TForm3 form3;
    TForm4 form4;
    TForm5 form5{form1.VaComm1};
    TForm2 form2{form1.VaComm1};

    ProgramWindows()
    {
        form1.Form3 = &form3;
        form1.Form4 = &form4;
        form1.Form5 = &form5;
        form1.Form2 = &form2;
        form4.setDocument(&form3);
    }
};
