#include "programwindows.h"

ProgramWindows::ProgramWindows()
    : tests(form1, form1.form<Ui::PageMain>(), form1.form<Ui::PageIdle>(), form1.form<Ui::PageChort>(),
            form1.form<Ui::PageTransformations>(), form1.form<Ui::PageResistence>(),
            form1.form<Ui::PageProtocol>()),
      dialogs(form1, form1.form<Ui::Form1>(), form2, form5),
      protocol(form1, form1.form<Ui::PageMain>(), form1.form<Ui::PageTransformations>(),
               form1.form<Ui::PageResistence>(), form1.form<Ui::PageProtocol>(), form3),
      archive(form1, form1.form<Ui::PageMain>(), form1.form<Ui::PageProtocol>(), form3, form4),
      assessment(form1, form1.form<Ui::PageMain>(), form1.form<Ui::PageProtocol>(), archive.archive())
{
    form4.setDocument(&form3);
}
