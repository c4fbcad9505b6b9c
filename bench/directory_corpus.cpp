// The corpus is fixed, not random, so two runs measure the same work.
#include "directory_corpus.h"

namespace bench {

namespace {

// A deep build tree: the kind of directory that passes MAX_PATH.
std::u16string deepTree(const std::u16string &root, char16_t separator, int levels) {
    std::u16string path = root;
    for (int level = 0; level < levels; ++level) {
        path += u"module-";
        path += static_cast<char16_t>(u'a' + level % 26);
        path += u"-generated-sources";
        path += separator;
    }
    return path;
}

}  // namespace

std::vector<std::u16string> directoryCorpus() {
    return {
        u"C:\\work",
        u"C:/Users/builder/projects/quillstead/build/",
        u"D:\\",
        u"c:/",
        u"E:",
        u"\\",
        u"relative/sub dir/leaf",
        u"\\\\fileserver\\share\\team\\builds\\",
        u"//fileserver/share/nightly//2024-05-01/",
        u"C:\\Program Files\\Vendor App\\bin  ",
        u"C:\\work\\dir with spaces \\",
        u"C:\\Users\\J\u00fcrgen\\\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b\\"
        u"\u30d7\u30ed\u30b8\u30a7\u30af\u30c8\\",
        u"/\u0416:/\u0434\u0430\u043d\u043d\u044b\u0435/\u043e\u0442\u0447\u0451\u0442\u044b",
        deepTree(u"C:\\ci\\workspace\\", u'\\', 12),
        deepTree(u"C:/ci/workspace/", u'/', 14) + u"  ",
        deepTree(u"\\\\?\\C:\\ci\\workspace\\", u'\\', 16),
        deepTree(u"\\\\?\\UNC\\buildhost\\share\\", u'\\', 11),
        deepTree(u"//buildhost/share//", u'/', 13) + u"/",
    };
}

}  // namespace bench
