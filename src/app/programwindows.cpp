#include "programwindows.h"

ProgramWindows::ProgramWindows(ProgramContext given)
    : context(std::move(given)),
      rated(form1),
      link(form1, rated, form1.inputErrors(), form1.forms(), form1.forms(), form1.forms(), form1.forms(),
           form1.forms(), form1.forms(), context.deviceFolder, context.linkClock),
      records(form1, rated),
      tests(form1, link, rated.Rated),
      dialogs(link, form1.forms(), form2, form5),
      protocol(form1, form3),
      archive(form1, records, form3, form4),
      assessment(form1, records, archive.archive())
{
    form4.setDocument(&form3);
    archive.setJudge([this] { return assessment.currentJudgement(); });
    archive.setJudgementViewer([this](const ArchiveRecord &record) { assessment.showArchived(record); });
}
