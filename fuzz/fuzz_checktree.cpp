// The check tree against the plain model of its rules, on namespaces and
// steps drawn from the input: after the top-level fill and after every
// expansion or toggle, the items, their boxes and the walk must agree.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "tests/fakes/CheckTreeModel.h"

namespace {

const char* const g_arNames[] = {"a", "b", "B", "net", "c", ""};

void Agree(const CCheckTreeModel& model, CFakeTreeItems& items, CCheckTree& tree) {
    std::string strWhy = model.Compare(items, tree);
    if (!strWhy.empty()) {
        fprintf(stderr, "tree and model differ: %s\n", strWhy.c_str());
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    FuzzedDataProvider fdp(pData, nSize);
    CFakeFolderNamespace ns;
    int nNodes = fdp.ConsumeIntegralInRange(1, 150);
    for (int i = 0; i < nNodes; ++i) {
        int nParent = fdp.ConsumeIntegralInRange(0, static_cast<int>(ns.m_arNodes.size()) - 1);
        uint8_t nBits = fdp.ConsumeIntegral<uint8_t>();
        // Mostly file-system folders; now and then no folder, no ancestor
        // of the file system, or a folder that cannot be read.
        uint32_t nAttributes = CFakeFolderNamespace::ON_DISK;
        if ((nBits & 0x07) == 0)
            nAttributes &= ~NSATTR_FOLDER;
        if ((nBits & 0x18) == 0)
            nAttributes &= ~NSATTR_FILESYSANCESTOR;
        int nNode = ns.Add(nParent, g_arNames[(nBits >> 5) % 6], nAttributes, "/x");
        if (fdp.ConsumeIntegralInRange(0, 15) == 0)
            ns.m_arNodes[nNode].nResult = fdp.ConsumeBool() ? ENUM_FAILED : ENUM_TIMEOUT;
    }

    CFakeTreeItems items;
    CCheckTree tree(items, ns);
    CCheckTreeModel model(ns);
    tree.FillRoot();
    model.FillRoot();
    Agree(model, items, tree);

    for (int nStep = 0; nStep < 200 && fdp.remaining_bytes() > 0; ++nStep) {
        std::vector<int> arNodes = model.Items();
        if (arNodes.empty())
            break;
        int nNode = arNodes[fdp.ConsumeIntegralInRange<size_t>(0, arNodes.size() - 1)];
        TreeItem hItem = CCheckTreeModel::FindItem(items, nNode);
        if (!hItem) {
            fprintf(stderr, "node %d has no item\n", nNode);
            abort();
        }
        if (fdp.ConsumeBool()) {
            tree.ItemExpanding(hItem);
            model.Expand(nNode);
        } else {
            tree.ToggleCheck(hItem);
            model.Toggle(nNode);
        }
        Agree(model, items, tree);
    }
    return 0;
}
