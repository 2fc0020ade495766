import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;
import flash.ui.Keyboard;

/** Catch the falling stars in the basket: arrow keys or the mouse move it. */
class CatchStar extends Sprite {
	var basket = new Sprite();
	var stars:Array<{s:Sprite, v:Float}> = [];
	var score:flash.text.TextField;
	var caught = 0;
	var frame = 0;
	var mouseSteer = false;

	public function new() {
		super();
		Kit.sky(graphics, 0x1B2A6B, 0x5B7BD5);
		graphics.beginFill(0x3CC47C);
		graphics.drawRect(0, Kit.H - 30, Kit.W, 30);
		graphics.endFill();
		Kit.arrowHint(graphics, 10, Kit.H - 30, [0, 2]);

		var g = basket.graphics;
		g.beginFill(0xC97B3D);
		g.moveTo(-45, -20);
		g.lineTo(45, -20);
		g.lineTo(35, 15);
		g.lineTo(-35, 15);
		g.endFill();
		g.lineStyle(3, 0x8A4F21);
		g.moveTo(-40, -8);
		g.lineTo(40, -8);
		g.moveTo(-37, 3);
		g.lineTo(37, 3);
		basket.x = Kit.W / 2;
		basket.y = Kit.H - 50;
		addChild(basket);
		score = Kit.scoreBox(this, Kit.W - 125, 10);

		addEventListener(Event.ENTER_FRAME, tick);
		addEventListener(Event.ADDED_TO_STAGE, function(_) {
			stage.addEventListener(MouseEvent.MOUSE_MOVE, function(_) mouseSteer = true);
		});
	}

	function tick(_) {
		frame++;
		if (Kit.isDown(Keyboard.LEFT)) {
			basket.x -= 9;
			mouseSteer = false;
		}
		if (Kit.isDown(Keyboard.RIGHT)) {
			basket.x += 9;
			mouseSteer = false;
		}
		if (mouseSteer)
			basket.x += (mouseX - basket.x) * 0.3;
		basket.x = Math.max(45, Math.min(Kit.W - 45, basket.x));

		if (frame % 35 == 0 || stars.length == 0) {
			var s = new Sprite();
			Kit.star(s.graphics, 0, 0, 16, Kit.pick([0xFFE45C, 0xFFB400, 0xFF7AC6]));
			s.x = 30 + Kit.rand(Kit.W - 60);
			s.y = -20;
			addChildAt(s, 0);
			stars.push({s: s, v: 2 + Math.random() * 2 + caught * 0.05});
		}
		for (st in stars.copy()) {
			st.s.y += st.v;
			st.s.rotation += 4;
			var caughtIt = Math.abs(st.s.x - basket.x) < 45 && Math.abs(st.s.y - (basket.y - 15)) < 14;
			if (caughtIt || st.s.y > Kit.H + 20) {
				stars.remove(st);
				removeChild(st.s);
				if (caughtIt) {
					caught++;
					score.text = Std.string(caught);
					Kit.sparkle(this, st.s.x, st.s.y, 0xFFE45C);
				}
			}
		}
	}

	static function main() {
		Kit.start(new CatchStar());
	}
}
