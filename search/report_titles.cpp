#include "search/report_titles.h"

#include <wchar.h>

static const wchar_t* const REPORT_NAMES[REPORT_NAME_COUNT] = {
    L"国务院政府工作报告", L"北京市政府工作报告", L"天津市政府工作报告", L"河北省政府工作报告",
    L"山西省政府工作报告", L"内蒙古自治区政府工作报告", L"辽宁省政府工作报告", L"吉林省政府工作报告",
    L"黑龙江省政府工作报告", L"上海市政府工作报告", L"江苏省政府工作报告", L"浙江省政府工作报告",
    L"安徽省政府工作报告", L"福建省政府工作报告", L"江西省政府工作报告", L"山东省政府工作报告",
    L"河南省政府工作报告", L"湖北省政府工作报告", L"湖南省政府工作报告", L"广东省政府工作报告",
    L"广西壮族自治区政府工作报告", L"海南省政府工作报告", L"重庆市政府工作报告", L"四川省政府工作报告",
    L"贵州省政府工作报告", L"云南省政府工作报告", L"西藏自治区政府工作报告", L"陕西省政府工作报告",
    L"甘肃省政府工作报告", L"青海省政府工作报告", L"宁夏回族自治区政府工作报告", L"新疆维吾尔自治区政府工作报告",
};

const wchar_t* ReportNameForIndex(int index) {
    return (unsigned)index < (unsigned)REPORT_NAME_COUNT ? REPORT_NAMES[index] : L"";
}

int ParseReportTitle(const wchar_t* title, int* year, int* reportIndex) {
    if (!title) return 0;
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        if (title[i] < L'0' || title[i] > L'9') return 0;
        value = value * 10 + (title[i] - L'0');
    }
    if (title[4] != L'年') return 0;
    if (value < REPORT_FIRST_YEAR || value >= REPORT_FIRST_YEAR + REPORT_YEAR_COUNT) return 0;
    for (int i = 0; i < REPORT_NAME_COUNT; ++i) {
        if (wcscmp(title + 5, REPORT_NAMES[i]) == 0) {
            *year = value;
            *reportIndex = i;
            return 1;
        }
    }
    return 0;
}
