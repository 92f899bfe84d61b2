#pragma once
// Moves the parameter set between the pages' controls and the core's ParameterValues. The
// pages never encode or decode bytes themselves; the core does, over the values this adapter
// reads from and writes to the pages.
//
// Where a value lives on the pages: numbers and radio choices in the pages' fields (they reach
// their controls at an exchange into the controls), list selections and check boxes in the
// controls themselves, a pin in its function box and check boxes plus its mode field.

#include "core/params/block_layout.h"
#include "core/params/parameter_codec.h"
#include "core/params/parameter_values.h"

class Cpage0;
class Cpage1;
class Cpage3;
class Cpage5;
class Cpage6;
class TemplateWidget;

class ParameterPages {
public:
    ParameterPages(Cpage0& page0, Cpage1& page1, Cpage3& page3, Cpage5& page5, Cpage6& page6)
        : m_page0(page0), m_page1(page1), m_page3(page3), m_page5(page5), m_page6(page6) {}

    // Reads pages 1, 2 and 3, the display page and the port settings page through their
    // exchanges, in this order, into the page parts of `values`. False at the first field that
    // fails (its message shown): the later pages are not read.
    bool Read(ParameterValues& values);
    // The same for the file commands, which leave the display page out: pages 1, 2, 3 and the
    // port settings page.
    bool ReadForFile(ParameterValues& values);
    // The page parts of `values` as the pages hold them now, without reading the controls.
    void Collect(ParameterValues& values) const;

    // A decoded block: the lists and boxes it names change at once, the page fields it names
    // take their values and reach their controls at the next Refresh.
    void Apply(const ParameterValues& values, const DecodeOutcome& outcome);
    // Every page part of `values` into the fields and controls (an imported file).
    void ApplyAll(const ParameterValues& values);
    // The page fields into their controls: the refresh after a read.
    void Refresh();

    // The page showing a value of `owner`; nullptr for the main window and the decoder's
    // outputs.
    const TemplateWidget* PageOf(ParamOwner owner) const;

private:
    bool ReadPages(ParameterValues& values, bool displayPage);
    // Copies one value from the pages into `values` or back; `controls` says whether lists,
    // boxes and pins are touched, `fields` whether fields and radio values are.
    void Take(ParamField field, ParameterValues& values) const;
    void Put(ParamField field, const ParameterValues& values, bool controls, bool fields);

    Cpage0& m_page0;
    Cpage1& m_page1;
    Cpage3& m_page3;
    Cpage5& m_page5;
    Cpage6& m_page6;
};
