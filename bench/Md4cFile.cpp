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

static bool convert(const std::string &input, const std::string &output)
{
    std::ifstream in(input, std::ios::binary);
    const std::string md{std::istreambuf_iterator<char>(in), {}};
    std::string html;
    html.reserve(md.size() * 2);
    if (md_html(md.data(), static_cast<MD_SIZE>(md.size()), append, &html, 0, 0) != 0)
        return false;
    std::ofstream out(output, std::ios::binary);
    out.write(html.data(), static_cast<std::streamsize>(html.size()));
    return bool(out);
}

// md4c-file INPUT OUTPUT, or md4c-file --out-dir DIR INPUT... (each INPUT's name with .html).
int main(int argc, char **argv)
{
    if (argc >= 3 && std::string(argv[1]) == "--out-dir") {
        for (int i = 3; i < argc; ++i) {
            std::string name = argv[i];
            name = name.substr(name.find_last_of('/') + 1);
            name = name.substr(0, name.find_last_of('.')) + ".html";
            if (!convert(argv[i], std::string(argv[2]) + "/" + name))
                return 1;
        }
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: md4c-file INPUT OUTPUT | --out-dir DIR INPUT...\n");
        return 2;
    }
    return convert(argv[1], argv[2]) ? 0 : 1;
}
