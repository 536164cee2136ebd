// Run a check once in every vector form this processor runs, each forced in
// turn; the forms it cannot run are named in the output rather than passed over quietly.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

#include "softraster/processor_forms.h"

namespace vector_forms {

inline const char *VectorFormName(int form)
{
    return form == Korvo::MEMIMG_VECTOR_AVX2 ? "AVX2" : "base";
}

template <class F>
void ForEachVectorForm(F &&check)
{
    for (int form : {Korvo::MEMIMG_VECTOR_BASE, Korvo::MEMIMG_VECTOR_AVX2}) {
        if (!Korvo::SetMemImgVectorFormOverride(form)) {
            std::printf("[   NOTE   ] the %s form is not checked: this processor does not run it\n",
                        VectorFormName(form));
            continue;
        }
        SCOPED_TRACE(VectorFormName(form));
        check(form);
    }
    Korvo::SetMemImgVectorFormOverride(-1);
}

}  // namespace vector_forms
