#include "programwindows.h"

ProgramWindows::ProgramWindows(ProgramContext given)
    : context(std::move(given)),
      rated(form1.form<Ui::Form1>(), form1.form<Ui::PageMain>(), form1.form<Ui::PageProtocol>(),
            form1.inputErrors()),
      link(form1, rated, form1.inputErrors(), form1.form<Ui::Form1>(), form1.form<Ui::PageMain>(), form1.form<Ui::PageIdle>(),
           form1.form<Ui::PageChort>(), form1.form<Ui::PageTransformations>(),
           form1.form<Ui::PageResistence>(), context.deviceFolder, context.linkClock),
      records(form1, rated, form1.inputErrors(), form1.form<Ui::Form1>(), form1.form<Ui::PageMain>(),
              form1.form<Ui::PageResistence>(), form1.form<Ui::PageProtocol>()),
      tests(form1, link, rated.Rated, form1.form<Ui::PageMain>(), form1.form<Ui::PageIdle>(), form1.form<Ui::PageChort>(),
            form1.form<Ui::PageTransformations>(), form1.form<Ui::PageResistence>(),
            form1.form<Ui::PageProtocol>()),
      dialogs(link, form1.form<Ui::Form1>(), form2, form5),
      protocol(form1, form1.form<Ui::PageMain>(), form1.form<Ui::PageTransformations>(),
               form1.form<Ui::PageResistence>(), form1.form<Ui::PageProtocol>(), form3),
      archive(form1, records, form1.form<Ui::PageMain>(), form1.form<Ui::PageProtocol>(), form3, form4),
      assessment(records, form1.results(), form1.form<Ui::PageMain>(), form1.form<Ui::PageProtocol>(), archive.archive())
{
    form4.setDocument(&form3);
}
