-- Texts of the window in six languages, and the stored language choice.
-- Built into language.db at build time; the program reads the tables by
-- position, so the column order below matters and the names are for readers.
-- All texts are UTF-8. Keep labels short: they sit in narrow labels and in
-- buttons about 85 pixels wide.

pragma encoding = 'UTF-8';

begin;

-- The language to start in: one row, a language number 0..5.
create table current (
    language integer not null
);
insert into current (language) values (0);

-- Row r (in row-id order) is language r; column c is its name written in
-- language c. Numbers: 0 English, 1 Simplified Chinese, 2 Traditional
-- Chinese, 3 French, 4 German, 5 Japanese.
create table language (
    in_english text not null,
    in_simplified_chinese text not null,
    in_traditional_chinese text not null,
    in_french text not null,
    in_german text not null,
    in_japanese text not null
);
insert into language values ('English', '英语', '英文', 'Anglais', 'Englisch', '英語');
insert into language values ('Simplified Chinese', '简体中文', '簡體中文', 'Chinois simplifié', 'Chinesisch (vereinfacht)', '簡体字中国語');
insert into language values ('Traditional Chinese', '繁体中文', '繁體中文', 'Chinois traditionnel', 'Chinesisch (traditionell)', '繁体字中国語');
insert into language values ('French', '法语', '法文', 'Français', 'Französisch', 'フランス語');
insert into language values ('German', '德语', '德文', 'Allemand', 'Deutsch', 'ドイツ語');
insert into language values ('Japanese', '日语', '日文', 'Japonais', 'Japanisch', '日本語');

-- One row per language, found by its key in column 1. Positions 2..15 are the
-- window's texts; position 4 (the MAC caption) is kept for completeness, the
-- program leaves that label as it is. Every title is exactly 'Tavolix', the
-- product's name in every language: a second start looks for a window of that
-- title, whichever language the first one shows.
create table interface (
    id integer primary key,             -- 0
    language text not null unique,      -- 1: English ChinaGB ChinaBG French German Japan
    account text not null,              -- 2: PPPoE and login account labels
    password text not null,             -- 3: PPPoE and login password labels
    mac text not null,                  -- 4: not applied
    address text not null,              -- 5: heading of the address group
    name text not null,                 -- 6: device name label
    ip text not null,                   -- 7
    submask text not null,              -- 8
    gateway text not null,              -- 9
    http_port text not null,            -- 10
    submit_button text not null,        -- 11
    status text not null,               -- 12: caption of the status line
    title text not null,                -- 13: window title
    update_button text not null,        -- 14: starts a new search
    exit_button text not null           -- 15
);

insert into interface (language, account, password, mac, address, name, ip, submask, gateway,
                       http_port, submit_button, status, title, update_button, exit_button)
values ('English', 'Account', 'Password', 'Mac', 'Address:', 'Name', 'IP', 'Submask', 'Gateway',
        'Http Port', 'Submit', 'Status:', 'Tavolix', 'Update', 'Exit');

insert into interface (language, account, password, mac, address, name, ip, submask, gateway,
                       http_port, submit_button, status, title, update_button, exit_button)
values ('ChinaGB', '账号', '密码', 'MAC地址', '地址：', '名称', 'IP地址', '子网掩码', '网关',
        'HTTP端口', '提交', '状态：', 'Tavolix', '刷新', '退出');

insert into interface (language, account, password, mac, address, name, ip, submask, gateway,
                       http_port, submit_button, status, title, update_button, exit_button)
values ('ChinaBG', '帳號', '密碼', 'MAC位址', '位址：', '名稱', 'IP位址', '子網路遮罩', '閘道',
        'HTTP連接埠', '送出', '狀態：', 'Tavolix', '更新', '離開');

insert into interface (language, account, password, mac, address, name, ip, submask, gateway,
                       http_port, submit_button, status, title, update_button, exit_button)
values ('French', 'Identifiant', 'Mot de passe', 'Adresse MAC', 'Adresse :', 'Nom', 'Adresse IP',
        'Masque', 'Passerelle', 'Port HTTP', 'Envoyer', 'État :', 'Tavolix',
        'Actualiser', 'Quitter');

insert into interface (language, account, password, mac, address, name, ip, submask, gateway,
                       http_port, submit_button, status, title, update_button, exit_button)
values ('German', 'Benutzername', 'Passwort', 'MAC-Adresse', 'Adresse:', 'Name', 'IP-Adresse',
        'Subnetzmaske', 'Gateway', 'HTTP-Port', 'Senden', 'Status:', 'Tavolix',
        'Suchen', 'Beenden');

insert into interface (language, account, password, mac, address, name, ip, submask, gateway,
                       http_port, submit_button, status, title, update_button, exit_button)
values ('Japan', 'ユーザー名', 'パスワード', 'MACアドレス', 'アドレス：', '名前', 'IPアドレス',
        'サブネット', 'ゲートウェイ', 'HTTPポート', '送信', '状態：', 'Tavolix',
        '更新', '終了');

commit;
