// md4c file to file: reads Markdown, renders HTML with md_html, writes it. The peer of qrn-convert.
#include <md4c-html.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

static void append(const MD_CHAR *text, MD_SIZE size, void *out)
{
    static_cast<std::string *>(out)->append(text, size);
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: md4c-file INPUT OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string md{std::istreambuf_iterator<char>(in), {}};
    std::string html;
    html.reserve(md.size() * 2);
    if (md_html(md.data(), static_cast<MD_SIZE>(md.size()), append, &html, 0, 0) != 0)
        return 1;
    std::ofstream out(argv[2], std::ios::binary);
    out.write(html.data(), static_cast<std::streamsize>(html.size()));
    return out ? 0 : 1;
}
