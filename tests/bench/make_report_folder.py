#!/usr/bin/python3
"""Writes a folder of generated report texts for timing the corpus builder.

    make_report_folder.py OUT_DIR [--reports 160] [--chars 3000000] [--seed 1]

Each report is named like 2023年山西省政府工作报告.txt and holds paragraphs of
report-style short sentences put together at random (fixed seed) from small word
lists, so that the total comes to about --chars characters.
"""
import argparse
import os
import random

YEARS = [2021, 2022, 2023, 2024, 2025]
PLACES = ["国务院", "北京市", "天津市", "河北省", "山西省", "内蒙古自治区", "辽宁省", "吉林省", "黑龙江省", "上海市",
          "江苏省", "浙江省", "安徽省", "福建省", "江西省", "山东省", "河南省", "湖北省", "湖南省", "广东省",
          "广西壮族自治区", "海南省", "重庆市", "四川省", "贵州省", "云南省", "西藏自治区", "陕西省", "甘肃省",
          "青海省", "宁夏回族自治区", "新疆维吾尔自治区"]
ADVERBS = ["持续", "加快", "全面", "深入", "大力", "着力", "扎实", "积极", "稳步", "切实", "不断", "进一步", "统筹",
           "有序", "坚定不移", "因地制宜", "更大力度", "协同"]
VERBS = ["推进", "推动", "实施", "建设", "发展", "优化", "提升", "深化", "完善", "加强", "培育", "壮大", "促进",
         "保障", "改善", "扩大", "稳定", "巩固", "拓展", "落实", "健全", "打造", "构建", "强化", "支持", "引导",
         "规范", "创新", "防范", "化解", "守住", "激发", "释放", "提高", "降低", "减少", "增加", "服务", "统筹",
         "补齐", "筑牢", "保护", "修复", "治理", "整治", "开展", "组织", "部署"]
MODIFIERS = ["高质量", "现代化", "新型", "重点", "重大", "基本", "公共", "绿色", "低碳", "数字", "智能", "城乡",
             "区域", "农村", "城市", "社会", "民生", "科技", "产业", "基层", "市场", "生态", "营商", "对外",
             "国内", "战略性", "关键", "核心", "多层次", "高水平", "普惠", "全方位", "新兴", "传统", "先进"]
NOUNS = ["发展", "产业体系", "营商环境", "就业", "消费", "投资", "项目", "改革", "开放", "乡村振兴", "生态环境",
         "民生", "教育", "医疗", "养老", "住房", "交通", "水利", "能源", "粮食生产", "制造业", "服务业", "数字经济",
         "新质生产力", "科技创新", "创新平台", "人才队伍", "基础设施", "社会保障", "公共服务", "风险", "安全",
         "治理体系", "治理能力", "市场主体", "经营主体", "民营经济", "外贸", "外资", "财政", "金融", "税收",
         "收入", "价格", "供应链", "产业链", "园区", "城镇化", "新型城镇化", "农业农村", "高标准农田", "种业",
         "文化", "旅游", "体育", "卫生健康", "食品药品", "安全生产", "防灾减灾", "应急管理", "法治政府",
         "政务服务", "数字政府", "污染防治", "碳达峰", "碳中和", "水环境", "大气环境", "土壤环境", "河湖",
         "森林", "草原", "湿地", "山水林田湖草沙", "县域经济", "乡镇", "社区", "工作机制", "政策体系", "标准体系"]
TAILS = ["取得新成效", "迈出新步伐", "不断增强", "稳步提升", "持续改善", "加快推进", "全面完成", "保持稳定",
         "实现新突破", "走在前列", "成效明显", "扎实推进", "好于预期", "较快增长", "明显提高"]
MARKS = "，，，；、"


def clause(rng):
    form = rng.randrange(5)
    if form == 0:
        return rng.choice(ADVERBS) + rng.choice(VERBS) + rng.choice(MODIFIERS) + rng.choice(NOUNS)
    if form == 1:
        return rng.choice(VERBS) + rng.choice(MODIFIERS) + rng.choice(NOUNS)
    if form == 2:
        return rng.choice(MODIFIERS) + rng.choice(NOUNS) + rng.choice(TAILS)
    if form == 3:
        return rng.choice(ADVERBS) + rng.choice(VERBS) + rng.choice(NOUNS) + "和" + rng.choice(NOUNS)
    return "全年" + rng.choice(NOUNS) + "增长" + f"{rng.randrange(1, 100) / 10:.1f}%"


def paragraph(rng):
    parts = [clause(rng) for _ in range(rng.randrange(3, 9))]
    text = parts[0]
    for part in parts[1:]:
        text += rng.choice(MARKS) + part
    return text + "。"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out_dir")
    parser.add_argument("--reports", type=int, default=160)
    parser.add_argument("--chars", type=int, default=3_000_000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    os.makedirs(args.out_dir, exist_ok=True)
    per_report = args.chars // args.reports
    titles = [f"{y}年{p}政府工作报告" for y in YEARS for p in PLACES][:args.reports]
    total = 0
    for title in titles:
        lines, size = [], 0
        while size < per_report:
            line = paragraph(rng)
            lines.append(line)
            size += len(line)
        with open(os.path.join(args.out_dir, title + ".txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        total += size
    print(f"{len(titles)} reports, {total} characters in {args.out_dir}")


if __name__ == "__main__":
    main()
