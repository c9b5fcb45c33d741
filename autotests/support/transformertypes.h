#pragma once

#include "cataloguefile.h"

// Types the tests store in the catalogue and expect back on the page or from the file.

// Two types that differ in every value.
inline TransformerType tm40()
{
    return {.unom = "400", .unom2 = "10000", .inom = "57.7", .inom2 = "2.31", .pnom = "40",
            .freq2 = "60", .material = 1, .fasNumber = 1, .transformerWeight = "390",
            .circuit = "U / Uo - 0"};
}

inline TransformerType om125()
{
    return {.unom = "230", .unom2 = "6000", .inom = "5.43", .inom2 = "0.21", .pnom = "1.25",
            .freq2 = "400", .material = 0, .fasNumber = 0, .transformerWeight = "35",
            .circuit = "I / I - 0"};
}

inline TransformerType tm63()
{
    return {.unom = "400", .unom2 = "10000", .inom = "91", .inom2 = "3.64", .pnom = "63",
            .freq2 = "60", .material = 1, .fasNumber = 0, .transformerWeight = "480",
            .circuit = "U / Uo - 0"};
}

inline TransformerType tm100()
{
    return {.unom = "400", .unom2 = "10000", .inom = "144,3", .inom2 = "5.77", .pnom = "100",
            .freq2 = "50", .material = 1, .fasNumber = 1, .transformerWeight = "640",
            .circuit = "Y/Yн-0"};
}
