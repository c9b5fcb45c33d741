#pragma once

#include "assessmentwindow.h"
#include "main.h"

#include <QPointer>

// The window "Оценка результатов", made when first asked for.
struct TForm1::AssessmentState {
    ~AssessmentState() { delete window; }
    QPointer<AssessmentWindow> window;
};
