"""Writes a full-size plain corpus database for the search benchmark.

Deterministic (fixed seed): 40,000 words with a Zipf-like skew of use,
500,000 phrases of two or three words, 200,000 short sentences of three to
six words, and paragraphs of short sentences, over three million characters
in all, spread over the 160 reports (five years of 32 reports).

    python3 make_bench_corpus.py OUT.db
"""
import bisect
import itertools
import os
import random
import sqlite3
import sys

WORDS, PHRASES, CLAUSES, PARAGRAPH_CHARS = 40_000, 500_000, 200_000, 3_000_000

# Common words of the reports stand at the top of the ranking, in this order.
COMMON = ("的 发展 经济 建设 推进 创新 改革 加强 服务 社会 推动 高质量 企业 产业 提升 完善 实施 城市 农村 保障 "
          "安全 科技 开放 驱动 更新 乡村 振兴 质量 生态 文化 民生 就业 教育 医疗 数字 绿色 能源 制造 市场 体系").split()

REPORTS = ["国务院", "北京市", "天津市", "河北省", "山西省", "内蒙古自治区", "辽宁省", "吉林省", "黑龙江省", "上海市",
           "江苏省", "浙江省", "安徽省", "福建省", "江西省", "山东省", "河南省", "湖北省", "湖南省", "广东省",
           "广西壮族自治区", "海南省", "重庆市", "四川省", "贵州省", "云南省", "西藏自治区", "陕西省", "甘肃省",
           "青海省", "宁夏回族自治区", "新疆维吾尔自治区"]


def zipf_cumulative(n, s=1.05):
    return list(itertools.accumulate(1.0 / (rank ** s) for rank in range(1, n + 1)))


def main(out):
    rng = random.Random(20261210)
    # Characters for the made-up words, themselves skewed.
    alphabet = [chr(c) for c in range(0x4E00, 0x9FA6, 6)][:3500]
    char_cum = zipf_cumulative(len(alphabet), 0.9)

    words, seen = [], set()
    for w in COMMON:
        words.append(w)
        seen.add(w)
    while len(words) < WORDS:
        w = "".join(rng.choices(alphabet, cum_weights=char_cum, k=rng.choice((2, 2, 2, 3, 4))))
        if w not in seen:
            seen.add(w)
            words.append(w)
    word_cum = zipf_cumulative(WORDS)
    total = word_cum[-1]

    def pick(k):
        return [bisect.bisect_left(word_cum, rng.random() * total) for _ in range(k)]

    if os.path.exists(out):
        os.remove(out)
    db = sqlite3.connect(out)
    db.executescript("""
        CREATE TABLE mo_articles (article_id INTEGER PRIMARY KEY, article_title TEXT);
        CREATE TABLE mo_words (word_id INTEGER PRIMARY KEY, word_content TEXT, pos TEXT, count_phrases INTEGER);
        CREATE TABLE mo_phrases (phrase_id INTEGER PRIMARY KEY, phrase_content TEXT, count_clauses INTEGER,
                                 words_array TEXT);
        CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY, clause_content TEXT);
        CREATE TABLE mo_paragraphs (paragraph_id INTEGER PRIMARY KEY, article_id INTEGER, paragraph_content TEXT);
    """)
    articles = [(1 + y * 32 + i, f"{2021 + y}年{name}政府工作报告") for y in range(5) for i, name in enumerate(REPORTS)]
    db.executemany("INSERT INTO mo_articles VALUES (?, ?)", articles)
    tags = ("VV", "VV", "VV", "NN", "NN", "NN", "AD", "JJ", "CD")
    db.executemany("INSERT INTO mo_words VALUES (?, ?, ?, ?)",
                   ((i + 1, w, rng.choice(tags), int(WORDS * 5 / (i + 1)) + rng.randrange(5))
                    for i, w in enumerate(words)))

    def phrases():
        for _ in range(PHRASES):
            ids = pick(rng.choice((2, 2, 3)))
            yield ("".join(words[i] for i in ids), int(2000 / (1 + rng.random() * 200)),
                   "[" + ", ".join(str(i + 1) for i in ids) + "]")
    db.executemany("INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES (?, ?, ?)", phrases())

    clauses = ["".join(words[i] for i in pick(rng.randrange(3, 7))) for _ in range(CLAUSES)]
    db.executemany("INSERT INTO mo_clauses (clause_content) VALUES (?)", ((c,) for c in clauses))

    def paragraphs():
        written = 0
        while written < PARAGRAPH_CHARS:
            text = "，".join(rng.choices(clauses, k=rng.randrange(6, 16))) + "。"
            written += len(text)
            yield rng.randrange(1, len(articles) + 1), text
    db.executemany("INSERT INTO mo_paragraphs (article_id, paragraph_content) VALUES (?, ?)", paragraphs())
    db.commit()
    chars = db.execute("SELECT sum(length(paragraph_content)) FROM mo_paragraphs").fetchone()[0]
    print(f"{out}: {WORDS} words, {PHRASES} phrases, {CLAUSES} short sentences, {chars} paragraph characters")
    db.close()


if __name__ == "__main__":
    main(sys.argv[1])
