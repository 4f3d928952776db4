#include <gtest/gtest.h>

#include <QStringList>
#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/catalog/CatalogTree.h"

using namespace melodrix;

namespace {

TCatalogNode* Add(TCatalogTree& tree, TCatalogNode* parent, std::string_view name) {
    TCatalogNode* node = tree.AppendChild(parent);
    node->Item().SetField(FileName, name);
    return node;
}

std::string PreOrder(const TCatalogTree& tree) {
    std::string names;
    ForEachNode(tree, [&](TCatalogNode* node) {
        names += std::string(node->Item().Field(FileName)) + " ";
    });
    return names;
}

// Records what a view model would be told.
struct TRecorder : ITreeObserver {
    QStringList events;
    static QString Name(TCatalogNode* node) {
        if (!node) {
            return QStringLiteral("-");
        }
        const std::string_view name = node->Item().Field(FileName);
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    void TreeAboutToReset() override { events << QStringLiteral("reset?"); }
    void TreeReset() override { events << QStringLiteral("reset"); }
    void NodesAboutToBeInserted(TCatalogNode* parent, int first, int last) override {
        events << QStringLiteral("insert? %1 %2-%3").arg(Name(parent)).arg(first).arg(last);
    }
    void NodesInserted() override { events << QStringLiteral("insert"); }
    void NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) override {
        events << QStringLiteral("remove? %1 %2-%3").arg(Name(parent)).arg(first).arg(last);
    }
    void NodesRemoved() override { events << QStringLiteral("remove"); }
    void LayoutAboutToChange() override { events << QStringLiteral("layout?"); }
    void LayoutChanged() override { events << QStringLiteral("layout"); }
    void NodeChanged(TCatalogNode* node) override {
        events << QStringLiteral("changed ") + Name(node);
    }
    void NodeExpansionChanged(TCatalogNode* node) override {
        events << QStringLiteral("expanded ") + Name(node);
    }
};

// root: a (a1, a2 (a21), a3), b, c (c1)
struct TCatalogTreeTest : ::testing::Test {
    void SetUp() override {
        a = Add(tree, nullptr, "a");
        a1 = Add(tree, a, "a1");
        a2 = Add(tree, a, "a2");
        a21 = Add(tree, a2, "a21");
        a3 = Add(tree, a, "a3");
        b = Add(tree, nullptr, "b");
        c = Add(tree, nullptr, "c");
        c1 = Add(tree, c, "c1");
    }
    TCatalogTree tree;
    TCatalogNode *a, *a1, *a2, *a21, *a3, *b, *c, *c1;
};

}  // namespace

TEST_F(TCatalogTreeTest, NavigationAndPreOrder) {
    EXPECT_EQ(PreOrder(tree), "a a1 a2 a21 a3 b c c1 ");
    EXPECT_EQ(tree.NodeCount(), 8u);
    EXPECT_EQ(tree.GetFirst(), a);
    EXPECT_EQ(tree.GetNext(a21), a3) << "climbs back up to the next sibling";
    EXPECT_EQ(tree.GetNext(a3), b);
    EXPECT_EQ(tree.GetNext(c1), nullptr);
    EXPECT_EQ(tree.GetNext(nullptr), nullptr);

    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(a21->Parent(), a2);
    EXPECT_EQ(a->ChildCount(), 3);
    EXPECT_EQ(a->FirstChild(), a1);
    EXPECT_EQ(a->LastChild(), a3);
    EXPECT_EQ(a2->NextSibling(), a3);
    EXPECT_EQ(a2->PreviousSibling(), a1);
    EXPECT_EQ(a1->PreviousSibling(), nullptr);
    EXPECT_EQ(a3->NextSibling(), nullptr);
    EXPECT_EQ(b->PreviousSibling(), a) << "top-level nodes are siblings too";
    EXPECT_EQ(c->NextSibling(), nullptr);
    EXPECT_EQ(b->FirstChild(), nullptr);
    EXPECT_EQ(a->Child(3), nullptr);
    EXPECT_EQ(a->Child(-1), nullptr);
    EXPECT_EQ(a21->Depth(), 2);
    EXPECT_EQ(c1->Row(), 0);
    EXPECT_EQ(c->Row(), 2);

    const TFileItem& fresh = tree.AppendChild(b)->Item();
    EXPECT_TRUE(fresh.IsEmpty());
    EXPECT_EQ(fresh.OpenIconIndex, 0);
    EXPECT_EQ(fresh.IconIndex, 0);
}

TEST_F(TCatalogTreeTest, DeletingASubtreeRenumbersTheSiblingsAndKeepsOtherNodes) {
    tree.DeleteNode(a2);
    EXPECT_EQ(PreOrder(tree), "a a1 a3 b c c1 ");
    EXPECT_EQ(tree.NodeCount(), 6u);
    EXPECT_EQ(a3->Row(), 1);
    EXPECT_EQ(a->Child(1), a3);
    EXPECT_EQ(a1->NextSibling(), a3);

    tree.DeleteNode(a);
    EXPECT_EQ(PreOrder(tree), "b c c1 ");
    EXPECT_EQ(b->Row(), 0);
    EXPECT_EQ(c->Row(), 1);
    EXPECT_EQ(tree.TopLevel(1), c);
    EXPECT_EQ(c1->Parent(), c) << "handles of untouched nodes stay valid";

    tree.Clear();
    EXPECT_TRUE(tree.IsEmpty());
    EXPECT_EQ(tree.GetFirst(), nullptr);
    EXPECT_EQ(tree.TopLevelCount(), 0);
}

TEST_F(TCatalogTreeTest, ExpandedState) {
    EXPECT_FALSE(a->Expanded());
    tree.SetExpanded(a, true);
    EXPECT_TRUE(a->Expanded());
    EXPECT_FALSE(a2->Expanded());
    tree.SetExpanded(a, false);
    EXPECT_FALSE(a->Expanded());
}

TEST_F(TCatalogTreeTest, ObserversHearEveryChangeAndOneResetPerBracket) {
    TRecorder recorder;
    tree.AddObserver(&recorder);
    Add(tree, a2, "a22");
    Add(tree, nullptr, "d");
    tree.DeleteNode(a1);
    tree.SetExpanded(c, true);
    tree.SetExpanded(c, true);  // no change, no event
    tree.NotifyNodeChanged(b);
    tree.SortAllLevels([](const TCatalogNode* x, const TCatalogNode* y) {
        return x->Item().Field(FileName) > y->Item().Field(FileName);
    });
    EXPECT_EQ(recorder.events,
              (QStringList{QStringLiteral("insert? a2 1-1"), QStringLiteral("insert"),
                           QStringLiteral("insert? - 3-3"), QStringLiteral("insert"),
                           QStringLiteral("remove? a 0-0"), QStringLiteral("remove"),
                           QStringLiteral("expanded c"), QStringLiteral("changed b"),
                           QStringLiteral("layout?"), QStringLiteral("layout")}));
    EXPECT_EQ(PreOrder(tree), "d c c1 b a a3 a2 a22 a21 ");
    EXPECT_EQ(a3->Row(), 0);
    EXPECT_EQ(a2->Row(), 1);

    recorder.events.clear();
    tree.BeginUpdate();
    tree.BeginUpdate();
    tree.Clear();
    Add(tree, nullptr, "x");
    tree.NotifyNodeChanged(tree.GetFirst());
    tree.EndUpdate();
    EXPECT_EQ(recorder.events, QStringList{QStringLiteral("reset?")});
    tree.EndUpdate();
    tree.EndUpdate();  // unbalanced: ignored
    EXPECT_EQ(recorder.events, (QStringList{QStringLiteral("reset?"), QStringLiteral("reset")}));

    tree.RemoveObserver(&recorder);
    recorder.events.clear();
    Add(tree, nullptr, "y");
    EXPECT_TRUE(recorder.events.isEmpty());
}

TEST_F(TCatalogTreeTest, AppendingManyChildrenIsOneInsertion) {
    TRecorder recorder;
    tree.AddObserver(&recorder);
    TCatalogNode* first = tree.AppendChildren(a, 3);
    EXPECT_EQ(recorder.events,
              (QStringList{QStringLiteral("insert? a 3-5"), QStringLiteral("insert")}));
    ASSERT_EQ(first, a->Child(3));
    for (int row = 3; row < 6; ++row) {
        EXPECT_EQ(a->Child(row)->Row(), row);
        EXPECT_EQ(a->Child(row)->Parent(), a);
        EXPECT_TRUE(a->Child(row)->Item().IsEmpty());
    }
    EXPECT_EQ(tree.NodeCount(), 11u);
    EXPECT_EQ(tree.GetNext(a3), first) << "after the last child of a, before b";
    TCatalogNode* top = tree.AppendChildren(nullptr, 2);
    EXPECT_EQ(top, tree.TopLevel(3));
    EXPECT_EQ(tree.TopLevel(4)->Parent(), nullptr);
    EXPECT_EQ(tree.AppendChildren(b, 0), nullptr);
    EXPECT_EQ(tree.NodeCount(), 13u);
    EXPECT_EQ(recorder.events.size(), 4);
    tree.RemoveObserver(&recorder);
}

TEST(CatalogTree, DeepAndWideTreesNeedNoDeepStack) {
    constexpr int kDepth = 200000;
    TCatalogTree tree;
    TCatalogNode* node = nullptr;
    for (int i = 0; i < kDepth; ++i) {
        node = Add(tree, node, "n");
    }
    size_t visited = 0;
    ForEachNode(tree, [&](TCatalogNode*) { ++visited; });
    EXPECT_EQ(visited, static_cast<size_t>(kDepth));
    size_t below = 0;
    ForEachDescendant(tree.GetFirst(), [&](TCatalogNode*) { ++below; });
    EXPECT_EQ(below, static_cast<size_t>(kDepth - 1));
    tree.SortAllLevels([](const TCatalogNode*, const TCatalogNode*) { return false; });
    tree.DeleteNode(tree.GetFirst()->FirstChild());
    EXPECT_EQ(tree.NodeCount(), 1u);
    for (int i = 0; i < kDepth; ++i) {
        node = Add(tree, i == 0 ? nullptr : node, "again");
    }
    // The destructor takes the rest.
}

TEST(CatalogTree, ALargeTreeIsReorderedOnTwoThreadsLikeOnOne) {
    // More than enough nodes for two threads, in folders of every size and depth; many names
    // repeat, so ties show whether their order is kept.
    TCatalogTree tree;
    TCatalogNode* top = Add(tree, nullptr, "top");
    uint32_t seed = 7;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    std::vector<TCatalogNode*> folders{top};
    int made = 0;
    for (int i = 0; i < 40000; ++i) {
        TCatalogNode* parent = folders[(next() >> 8) % folders.size()];
        TCatalogNode* node = Add(tree, parent, "n" + std::to_string((next() >> 8) % 500));
        node->Item().SetField(Description, std::to_string(made++));  // the order made
        if ((next() >> 8) % 20 == 0) {
            folders.push_back(node);
        }
    }
    const size_t count = tree.NodeCount();
    ASSERT_GE(count, 20000u);

    tree.SortAllLevels([](const TCatalogNode* x, const TCatalogNode* y) {
        return x->Item().Field(FileName) < y->Item().Field(FileName);
    });
    EXPECT_EQ(tree.NodeCount(), count);
    size_t seen = 0;
    ForEachNode(tree, [&](TCatalogNode* node) {
        ++seen;
        for (int row = 0; row < node->ChildCount(); ++row) {
            const TCatalogNode* child = node->Child(row);
            ASSERT_EQ(child->Row(), row);
            ASSERT_EQ(child->Parent(), node);
            if (row == 0) {
                continue;
            }
            const TCatalogNode* before = node->Child(row - 1);
            const std::string_view a = before->Item().Field(FileName);
            const std::string_view b = child->Item().Field(FileName);
            ASSERT_LE(a, b);
            if (a == b) {
                ASSERT_LT(std::stoi(std::string(before->Item().Field(Description))),
                          std::stoi(std::string(child->Item().Field(Description))))
                    << "equal names keep the order they had";
            }
        }
    });
    EXPECT_EQ(seen, count);

    // A reorder that fails on either thread reaches the caller and still tells the views
    // that the layout changed.
    TRecorder recorder;
    tree.AddObserver(&recorder);
    std::atomic<int> calls = 0;
    EXPECT_THROW(tree.ReorderAllLevels([&]() -> TCatalogTree::TReorder {
        return [&](std::vector<std::unique_ptr<TCatalogNode>>&) {
            if (++calls == 50) {
                throw std::runtime_error("no memory");
            }
        };
    }),
                 std::runtime_error);
    EXPECT_EQ(recorder.events, (QStringList{QStringLiteral("layout?"), QStringLiteral("layout")}));
    tree.RemoveObserver(&recorder);
}
